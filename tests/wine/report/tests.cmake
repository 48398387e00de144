# Report retrieval under Wine, against the report server stand-in.
tavri_wine_test(NAME wine_report_fetch
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/fetch.sh TIMEOUT 300)
tavri_wine_test(NAME wine_report_methods
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/report.sh TIMEOUT 600)
