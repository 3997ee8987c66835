# Helpers that turn a folder into a target, so adding a file never means editing a CMakeLists.

set(VELMORA_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)
# GCC 12 at -O3 warns of overlapping copies inside libstdc++'s own string code, where there are none
# (GCC bug 105329): silenced for that compiler only, so Release builds stay warning-free.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND VELMORA_WARNINGS -Wno-restrict)
endif()
# A build configured with CI=true fails on any warning, so none creeps in; local builds only report them.
option(VELMORA_WARNINGS_AS_ERRORS "Fail the build on any compiler warning (default: on under CI=true)" "$ENV{CI}")
if(VELMORA_WARNINGS_AS_ERRORS)
    list(APPEND VELMORA_WARNINGS -Werror)
endif()

# Kernel files carry their instruction set in their name (Softmax_avx2.cpp, Softmax_avx512.cpp,
# BfloatGemm_avx512bf16.cpp for the bfloat16 dot products, TileGemm_amx.cpp for the matrix tiles);
# only those files are compiled for it, and the code picks a variant at run time.
function(velmora_set_isa_flags)
    foreach(src IN LISTS ARGN)
        if(src MATCHES "_amx\\.cpp$")
            set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS
                "-mamx-tile;-mamx-bf16;-mavx512bf16;-mavx512f;-mavx512bw;-mavx512vl;-mavx512dq;-mavx2;-mfma;-mf16c")
        elseif(src MATCHES "_avx512bf16\\.cpp$")
            set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS
                "-mavx512bf16;-mavx512f;-mavx512bw;-mavx512vl;-mavx512dq;-mavx2;-mfma;-mf16c")
        elseif(src MATCHES "_avx512vnni\\.cpp$")
            set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS
                "-mavx512vnni;-mavx512f;-mavx512bw;-mavx512vl;-mavx512dq;-mavx2;-mfma;-mf16c")
        elseif(src MATCHES "_avx512\\.cpp$")
            set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS
                "-mavx512f;-mavx512bw;-mavx512vl;-mavx512dq;-mavx2;-mfma;-mf16c")
        elseif(src MATCHES "_avx2\\.cpp$")
            set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma;-mf16c")
        endif()
    endforeach()
endfunction()

# velmora_library(NAME DIR [DEPS ...] [PRIVATE_DEPS ...])
# A static library of every .cpp below DIR; headers are included as "<Module>/path/File.h" from Sources/.
function(velmora_library name dir)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
    if(NOT sources MATCHES "\\.cpp")
        # A layer that has no code yet still exists, so others can link it.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/Sources)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    velmora_set_isa_flags(${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/Sources)
    target_compile_options(${name} PRIVATE ${VELMORA_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# velmora_tests(NAME DIR LABEL DEPS...)
# One GoogleTest executable per module, labelled by module for ctest -L.
function(velmora_tests name dir label)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
    add_executable(${name} ${sources})
    target_compile_options(${name} PRIVATE ${VELMORA_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARGN} TestSupport GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS ${label} TIMEOUT 300)
endfunction()

# velmora_tool(NAME DEPS...) for a Tools/<name>/ folder; every tool gets the shared --help and --version.
function(velmora_tool name)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(${name} ${sources})
    # A tool's own headers are included by their path from the tool's folder ("Arguments/File.h").
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${VELMORA_WARNINGS})
    target_link_libraries(${name} PRIVATE ToolShared ${ARGN})
endfunction()
