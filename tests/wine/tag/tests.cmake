# The statistics tag under Wine (registered from the native tree).
tavri_wine_test(NAME wine_tag
                COMMAND --script ${CMAKE_CURRENT_LIST_DIR}/tag.sh
                TIMEOUT 600)
