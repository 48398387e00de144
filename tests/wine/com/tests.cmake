tavri_wine_test(NAME wine_com COMMAND ${TAVRI_WIN32_BIN}/com_test.exe --gtest_shuffle TIMEOUT 120)
