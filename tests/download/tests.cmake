# The fixture server is a Python program that the tests start themselves; control requests use
# plain sockets.
target_link_libraries(${QRX_TEST_TARGET} PRIVATE ws2_32)
set_tests_properties(download PROPERTIES TIMEOUT 900)

# A small volume for the disk-full cases: a 512 KB tmpfs mounted for the test's duration (needs
# root; without it the cases skip themselves).
set(QRX_DL_VOLUME ${CMAKE_BINARY_DIR}/download-small-volume)
qrx_wine_path(QRX_DL_WINE_VOLUME ${QRX_DL_VOLUME})
add_test(NAME download_volume_mount COMMAND sh -c
  "mkdir -p '${QRX_DL_VOLUME}' && { mountpoint -q '${QRX_DL_VOLUME}' || mount -t tmpfs -o size=512k tmpfs '${QRX_DL_VOLUME}' || echo 'cannot mount a tmpfs here'; }")
set_tests_properties(download_volume_mount PROPERTIES FIXTURES_SETUP download_volume)
add_test(NAME download_volume_unmount COMMAND sh -c
  "! mountpoint -q '${QRX_DL_VOLUME}' || umount '${QRX_DL_VOLUME}'")
set_tests_properties(download_volume_unmount PROPERTIES FIXTURES_CLEANUP download_volume)
add_test(NAME download_disk_full COMMAND ${QRX_TEST_TARGET} --gtest_color=no --gtest_filter=DiskFull*)
set_tests_properties(download_disk_full PROPERTIES FIXTURES_REQUIRED download_volume TIMEOUT 120
  ENVIRONMENT "QRX_DL_SMALL_VOLUME=${QRX_DL_WINE_VOLUME}")

# Download throughput under Wine, for the benchmark (not a test).
add_executable(bench_download ${CMAKE_SOURCE_DIR}/tests/download/bench/bench_download.cpp)
target_link_libraries(bench_download PRIVATE qrxcore psapi)
target_link_options(bench_download PRIVATE -municode)
