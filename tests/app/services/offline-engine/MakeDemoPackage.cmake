# Makes the English-German demo package the way scripts/run makes it.
# cmake -DDEMO_TOOL=... -DPACKAGE_MAKER=... -DMODEL_MAKER=... -DDICTIONARY=... -DOUT=... -P MakeDemoPackage.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "demo package step failed: ${ARGN}\n${err}")
  endif()
endfunction()

run(${DEMO_TOOL} word-lists --dictionary ${DICTIONARY} --output ${OUT}/words --words 3000)
run(${PACKAGE_MAKER} package --language de --model wordtable --model-type bpe --vocab-size 30000
    --en-text ${OUT}/words/en.txt --xx-text ${OUT}/words/de.txt
    --xx-en-table ${OUT}/words/de-en.words --en-xx-table ${OUT}/words/en-de.words
    --model-maker ${MODEL_MAKER} --output ${OUT}/de.zip)
