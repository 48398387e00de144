# The settings window under Wine (registered from the native tree).
tavri_wine_test(NAME wine_settings COMMAND ${TAVRI_WIN32_BIN}/settings_test.exe --gtest_shuffle TIMEOUT 120)
