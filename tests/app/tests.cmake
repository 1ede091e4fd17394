# The refusal texts follow the UI language, which Wine takes from LANG.
foreach(case "cs_CZ.UTF-8;1029;11" "af_ZA.UTF-8;1033;14" "de_DE.UTF-8;1031;3")
  list(GET case 0 lang)
  list(GET case 1 langid)
  list(GET case 2 index)
  add_test(NAME app_refusal_${lang} COMMAND ${QRX_TEST_TARGET} --gtest_filter=Refusal.FollowsTheUserInterfaceLanguage)
  set_tests_properties(app_refusal_${lang} PROPERTIES
    ENVIRONMENT "LANG=${lang};LC_ALL=${lang};QRX_EXPECT_REFUSAL_LANGID=${langid};QRX_EXPECT_LANGUAGE_INDEX=${index}" TIMEOUT 120)
endforeach()
