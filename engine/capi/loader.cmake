# The host side of node.so: its table of entry points and the loader that fills it, for every
# program or library that loads the engine at run time. Plain C++, no Qt; never linked into
# the module itself.
add_library(engine_loader STATIC ${CMAKE_CURRENT_LIST_DIR}/engine_loader.cc)
target_include_directories(engine_loader PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(engine_loader PUBLIC platform)
target_compile_options(engine_loader PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)
