# Copies the files of a generated sample folder into the fuzz corpora of the
# readers that take them:
#   cmake -DSAMPLE=<folder> -DCORPORA=<folder> [-DPACKTOOL=<program>] -P SampleSeeds.cmake
# Each seed is named "sample_" + its file name. With PACKTOOL, the pack
# archive of the sample's "e2e" folder that the tool makes is a seed too.
if(NOT SAMPLE OR NOT CORPORA)
    message(FATAL_ERROR "SampleSeeds.cmake needs SAMPLE and CORPORA")
endif()
set(kinds
    library_file "*.qvf"
    qvm "*.qvm"
    anb "*.anb"
    mot "*.mot"
    wave "*.wav"
    image_decode "*.tga"
    image_decode "*.png"
    image_decode "*.jpg"
    actor_file "*.qva"
    text_table "text.txt")
list(LENGTH kinds count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET kinds ${i} corpus)
    list(GET kinds ${j} pattern)
    file(GLOB_RECURSE files "${SAMPLE}/${pattern}")
    if(NOT files)
        message(FATAL_ERROR "no ${pattern} file in ${SAMPLE}")
    endif()
    file(MAKE_DIRECTORY "${CORPORA}/${corpus}")
    foreach(f IN LISTS files)
        get_filename_component(name "${f}" NAME)
        configure_file("${f}" "${CORPORA}/${corpus}/sample_${name}" COPYONLY)
    endforeach()
endforeach()

if(PACKTOOL)
    file(MAKE_DIRECTORY "${CORPORA}/pack_archive")
    execute_process(COMMAND "${PACKTOOL}" create "${CORPORA}/pack_archive/sample_e2e.csa" e2e
        WORKING_DIRECTORY "${SAMPLE}"
        RESULT_VARIABLE packed)
    if(NOT packed EQUAL 0)
        message(FATAL_ERROR "packtool could not pack ${SAMPLE}/e2e")
    endif()
endif()
