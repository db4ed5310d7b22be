# CMake generated Testfile for 
# Source directory: /work/main/gameobj
# Build directory: /work/main/build-lead/gameobj
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
