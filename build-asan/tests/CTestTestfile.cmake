# CMake generated Testfile for 
# Source directory: /work/wt/queues/tests
# Build directory: /work/wt/queues/build-asan/tests
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/wt/queues/build-asan/tests/quorvel_tests_device[1]_include.cmake")
include("/work/wt/queues/build-asan/tests/quorvel_tests_plm[1]_include.cmake")
include("/work/wt/queues/build-asan/tests/quorvel_tests_automation[1]_include.cmake")
include("/work/wt/queues/build-asan/tests/quorvel_tests_log[1]_include.cmake")
