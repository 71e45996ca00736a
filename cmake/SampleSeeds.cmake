# Copies the files of a generated sample folder into the fuzz corpora of the
# readers that take them: cmake -DSAMPLE=<folder> -DCORPORA=<folder> -P SampleSeeds.cmake
# Each seed is named "sample_" + its file name.
if(NOT SAMPLE OR NOT CORPORA)
    message(FATAL_ERROR "SampleSeeds.cmake needs SAMPLE and CORPORA")
endif()
set(kinds
    library_file "*.qvf"
    qvm "*.qvm"
    anb "*.anb"
    mot "*.mot"
    wave "*.wav"
    image_decode "*.tga")
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
