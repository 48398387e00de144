tavri_wine_test(NAME wine_report COMMAND ${TAVRI_WIN32_BIN}/report_test.exe --gtest_shuffle TIMEOUT 180)
# The same chunk joins under the Japanese code page, where a character takes two bytes.
tavri_wine_test(NAME wine_report_cp932
                COMMAND --locale ja_JP.UTF-8 ${TAVRI_WIN32_BIN}/report_test.exe
                        --gtest_filter=Fetch.ChunksAreJoined* TIMEOUT 90)
