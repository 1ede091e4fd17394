# The refusal texts follow the UI language, which Wine takes from LANG.
foreach(case "cs_CZ.UTF-8;1029" "af_ZA.UTF-8;1033" "de_DE.UTF-8;1031")
  list(GET case 0 lang)
  list(GET case 1 langid)
  add_test(NAME app_refusal_${lang} COMMAND ${QRX_TEST_TARGET} --gtest_filter=Refusal.FollowsTheUserInterfaceLanguage)
  set_tests_properties(app_refusal_${lang} PROPERTIES
    ENVIRONMENT "LANG=${lang};LC_ALL=${lang};QRX_EXPECT_REFUSAL_LANGID=${langid}" TIMEOUT 120)
endforeach()
