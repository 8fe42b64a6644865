# The extraction readers: PE resources, icon entry decoding, listings and .ico assembly.
add_library(glyphora_testpe STATIC pewriter.cpp pewriter.h testicons.h)
target_link_libraries(glyphora_testpe PUBLIC Qt6::Core Qt6::Gui)
target_include_directories(glyphora_testpe PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
glyphora_add_test(tst_peresourcereader SOURCES tst_peresourcereader.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_icondecoder SOURCES tst_icondecoder.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_icoassembly SOURCES tst_icoassembly.cpp LIBS glyphora_core glyphora_testpe)
glyphora_add_test(tst_winedlls SOURCES tst_winedlls.cpp LIBS glyphora_core)
