tavri_wine_test(NAME wine_contract COMMAND ${CMAKE_CURRENT_LIST_DIR}/contract.sh TIMEOUT 90)
