# The extraction readers: PE resources, icon entry decoding, listings and .ico assembly.
add_library(glyphora_testpe STATIC pewriter.cpp pewriter.h testicons.h)
target_link_libraries(glyphora_testpe PUBLIC Qt6::Core Qt6::Gui)
target_include_directories(glyphora_testpe PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
glyphora_add_test(tst_peresourcereader SOURCES tst_peresourcereader.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_icondecoder SOURCES tst_icondecoder.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_icoassembly SOURCES tst_icoassembly.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_winedlls SOURCES tst_winedlls.cpp LIBS glyphora_core)
glyphora_add_test(tst_iconlisting SOURCES tst_iconlisting.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_clilistextract SOURCES tst_clilistextract.cpp LIBS glyphora_testpe)
add_dependencies(tst_clilistextract glyphora-cli)
glyphora_add_test(tst_fastpng SOURCES tst_fastpng.cpp LIBS glyphora_core PkgConfig::LIBDEFLATE)
glyphora_add_test(tst_mingwdlls SOURCES tst_mingwdlls.cpp LIBS glyphora_core)
glyphora_add_test(tst_icolint SOURCES tst_icolint.cpp LIBS glyphora_core glyphora_testpe)
add_dependencies(tst_icolint glyphora-cli)

# The readers' tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# smoke run of each fuzz target: its seeds, then a few seconds of mutations (the long runs
# are fuzz/long-run.sh's).  Both build trees of their own, so they run once, from the
# ordinary build.  They build on every core and take the longest, so they start first
# (COST) and the other tests fill the cores beside them.
if(NOT GLYPHORA_SANITIZE)
    add_test(NAME sanitized_readers
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/run-sanitized-readers.sh ${CMAKE_SOURCE_DIR}
                ${CMAKE_BINARY_DIR}/sanitized)
    set_tests_properties(sanitized_readers PROPERTIES TIMEOUT 1800 COST 1000)
    add_test(NAME fuzz_readers
        COMMAND ${CMAKE_SOURCE_DIR}/fuzz/run-fuzzers.sh 5 ${CMAKE_BINARY_DIR}/fuzz)
    set_tests_properties(fuzz_readers PROPERTIES TIMEOUT 1800 SKIP_RETURN_CODE 77 COST 900)
endif()
