# COM frame and host stand-in tests under Wine (registered from the native tree).
tavri_wine_test(NAME wine_com_frame COMMAND ${TAVRI_WIN32_BIN}/com_frame_test.exe TIMEOUT 180)
tavri_wine_test(NAME wine_com_factory COMMAND ${TAVRI_WIN32_BIN}/com_factory_test.exe TIMEOUT 120)
tavri_wine_test(NAME wine_com_dispatch COMMAND ${TAVRI_WIN32_BIN}/com_dispatch_test.exe TIMEOUT 180)
tavri_wine_test(NAME wine_com_adapters COMMAND ${TAVRI_WIN32_BIN}/com_adapters_test.exe TIMEOUT 120)
tavri_wine_test(NAME wine_com_plughost COMMAND ${TAVRI_WIN32_BIN}/plughost_test.exe TIMEOUT 180)

# The export and import tables of Tavri.dll (no Wine needed).
add_test(NAME wine_com_exports
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/exports.sh ${TAVRI_WIN32_BIN}/Tavri.dll)
set_tests_properties(wine_com_exports PROPERTIES LABELS wine TIMEOUT 60)
