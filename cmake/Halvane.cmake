# Shared compile settings and the one-library-per-subsystem helper.

set(HV_SRC_ROOT ${PROJECT_SOURCE_DIR}/src)

# Warnings on, floating point kept exact: no contraction into fused multiply-adds and no
# fast-math, so results match the single/double precision steps the runner specifies.
function(hv_target_defaults target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -ffp-contract=off -fno-strict-aliasing>)
    if(HV_SANITIZE)
        target_compile_definitions(${target} PRIVATE HV_SANITIZE=1)
    endif()
endfunction()

# A program records only the shared libraries it calls into: each one loaded at start-up costs
# the process's start (and every later symbol lookup) a little.
add_link_options(LINKER:--as-needed)

if(HV_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
    add_compile_definitions(HV_SANITIZE=1)
endif()

# Fuzz targets need coverage instrumentation in every library they reach.
if(HV_BUILD_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(WARNING "fuzz targets skipped: they need clang (CC=clang CXX=clang++)")
    set(HV_BUILD_FUZZ OFF)
endif()
if(HV_BUILD_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# hv_subsystem(NAME [DEPS lib...] [PACKAGES pkg-config-module...])
# Every .cpp/.c in the calling folder belongs to the library; new modules need no list edit.
function(hv_subsystem name)
    cmake_parse_arguments(HV "" "" "DEPS;PACKAGES" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    if(NOT sources)
        set(sources ${HV_SRC_ROOT}/empty.cpp)
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${HV_SRC_ROOT})
    target_link_libraries(${name} PUBLIC ${HV_DEPS})
    foreach(pkg ${HV_PACKAGES})
        string(MAKE_C_IDENTIFIER ${pkg} id)
        if(NOT TARGET PkgConfig::${id})
            find_package(PkgConfig REQUIRED)
            pkg_check_modules(${id} REQUIRED IMPORTED_TARGET GLOBAL ${pkg})
        endif()
        target_link_libraries(${name} PUBLIC PkgConfig::${id})
    endforeach()
    hv_target_defaults(${name})
endfunction()

# Test suites built in unity batches: a batch parses the shared test headers and compiles their
# inline helpers once, not once a file. Off by default, as an edit then rebuilds a whole batch;
# scripts/test turns it on. One batch a suite builds fastest and makes a clash between two files
# of a suite show at once, not when a later file shifts the batch boundaries.
option(HV_UNITY_TESTS "Compile the test suites in unity batches" OFF)
set(HV_UNITY_BATCH_SIZE 0 CACHE STRING "Test files per unity batch (0: the whole suite in one)")
# Test files compiled on their own even then: their file-local names clash with another file's
# of the same suite. Matched by file name, so they stay out wherever they move.
set(HV_UNITY_SKIP
    BackgroundTest.cpp DisplayTest.cpp SpriteRunTimeTest.cpp         # assets: R, Call, Text
    AudioBuiltinsTest.cpp AudioEmitterTest.cpp AudioSoundTest.cpp    # audio: Asset, Call, g_buffers
    ValueConvertTest.cpp VariableTest.cpp                            # core: kNaN, KindOnly, g_messages
    DsNative_test.cpp                                                # data: kMissing
    TexturesTest.cpp                                                 # graphics: Word
    BufferFunctionsTest.cpp                                          # io: Arg
    DialogTest.cpp HighscoreDrawTest.cpp)                            # services: CaptureLine, R

# hv_test_suite(NAME DEPS lib...): one GoogleTest executable from every .cpp of the folder.
function(hv_test_suite name)
    cmake_parse_arguments(HV "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/TestEnvironment.cpp)
    target_link_libraries(${name} PRIVATE ${HV_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    # Test files are mostly GoogleTest macro expansions: parse its headers once a suite and, in
    # the optimised builds, optimise lightly, which halves their build time (a Debug build, the
    # sanitizer one among them, keeps -O0: cheaper still). The code under test keeps its flags.
    # A unity batch parses the headers once anyway: there they are included plainly, which
    # builds as fast and leaves the objects cacheable by ccache.
    set(common_headers gtest/gtest.h string vector memory cstdint cstring)
    if(HV_UNITY_TESTS)
        list(TRANSFORM common_headers PREPEND "SHELL:-include ")
        target_compile_options(${name} PRIVATE ${common_headers})
    else()
        list(TRANSFORM common_headers REPLACE "(.+)" "<\\1>")
        target_precompile_headers(${name} PRIVATE ${common_headers})
    endif()
    target_compile_options(${name} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O1>)
    # ctest starts the program once a test, so its start-up counts a thousand times over. A
    # position-dependent executable leaves the loader no relocations to apply; the sanitizer
    # build's instrumentation alone would bring close to a million.
    target_link_options(${name} PRIVATE -no-pie)
    hv_target_defaults(${name})
    if(HV_UNITY_TESTS)
        set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${HV_UNITY_BATCH_SIZE})
        # In a unity source every test file is an included one, where GCC warns about each test
        # class deriving from a fixture of the file's anonymous namespace.
        target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
        foreach(src ${sources})
            get_filename_component(file ${src} NAME)
            if(file IN_LIST HV_UNITY_SKIP)
                set_source_files_properties(${src} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
            endif()
        endforeach()
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "HV_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
