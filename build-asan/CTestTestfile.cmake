# CMake generated Testfile for 
# Source directory: /work/wt/queues
# Build directory: /work/wt/queues/build-asan
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
subdirs("tools")
subdirs("tests")
