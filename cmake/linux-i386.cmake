# 32-bit Linux, for 32-bit servers: the native compilers in their 32-bit mode (g++-multilib).
# The machine's own libraries of that mode come from its multilib folders.
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
