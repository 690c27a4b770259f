# Makes the engine tests' fixtures with the tools: trained and encrypted tokenizers, saved
# models of each kind, and a packed and unpacked language package.
# cmake -DPACKAGE_MAKER=... -DMODEL_MAKER=... -DDATA=... -DOUT=... -P MakeFixtures.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "fixture step failed: ${ARGN}\n${err}")
  endif()
endfunction()

run(${PACKAGE_MAKER} tokenizer --input ${DATA}/en.txt --output ${OUT}/en.spm.model
    --plain ${OUT}/en.plain.model --vocab-size 120)
run(${PACKAGE_MAKER} tokenizer --input ${DATA}/de.txt --output ${OUT}/de.spm.model --vocab-size 120)
run(${MODEL_MAKER} identity --output ${OUT}/identity)
run(${MODEL_MAKER} identity --output ${OUT}/no-serve --method predict)
run(${MODEL_MAKER} identity --output ${OUT}/unsigned --signature none)
run(${MODEL_MAKER} broken --output ${OUT}/broken)
run(${MODEL_MAKER} transformer --output ${OUT}/transformer --encoder-layers 2 --decoder-layers 2
    --width 32 --heads 4 --ffn 64 --vocab 60 --extra-steps 3)
# A feed-forward weight of 2 MB: large enough for the blocks that go to huge pages.
run(${MODEL_MAKER} transformer --output ${OUT}/transformer-wide --encoder-layers 1 --decoder-layers 1
    --width 256 --heads 4 --ffn 2048 --vocab 60 --extra-steps 3)
file(MAKE_DIRECTORY ${OUT}/not-a-model)
file(WRITE ${OUT}/not-a-model/saved_model.pt "this is not a TorchScript archive")
run(${PACKAGE_MAKER} package --language de --en-text ${DATA}/en.txt --xx-text ${DATA}/de.txt
    --model-maker ${MODEL_MAKER} --output ${OUT}/de.zip --model wordtable
    --xx-en-table ${DATA}/de-en.words --en-xx-table ${DATA}/en-de.words --vocab-size 120)
file(MAKE_DIRECTORY ${OUT}/package)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${OUT}/de.zip WORKING_DIRECTORY ${OUT}/package
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot unpack de.zip")
endif()
run(${MODEL_MAKER} checked --output ${OUT}/checked --max-row-tokens 128)
# Position tables too short for long rows: runs over them fail inside the interpreter.
run(${MODEL_MAKER} transformer --output ${OUT}/transformer-16 --encoder-layers 1 --decoder-layers 1
    --width 16 --heads 2 --ffn 32 --vocab 60 --max-positions 16)
# A second language, so that a translation can pass through English between two packages.
run(${PACKAGE_MAKER} package --language fr --en-text ${DATA}/en.txt --xx-text ${DATA}/fr.txt
    --model-maker ${MODEL_MAKER} --output ${OUT}/fr.zip --model wordtable
    --xx-en-table ${DATA}/fr-en.words --en-xx-table ${DATA}/en-fr.words --vocab-size 120)
