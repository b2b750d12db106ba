# camcab-run with the sample vehicle beside the plug-in renders the scenario's audio:
#   cmake -DRUNNER=<camcab-run> -DPLUGIN=<libcamcab.so> -DMODULE=<camcab-passthrough.so>
#         -DVEHICLE=<folder> -DSCENARIO=<file> -DFOLDER=<scratch> -P RunAudio.cmake
# MODULE is the chained module that the vehicle's list names; it hands the brake on.
file(REMOVE_RECURSE ${FOLDER})
file(COPY ${VEHICLE}/ DESTINATION ${FOLDER})
file(COPY ${PLUGIN} ${MODULE} DESTINATION ${FOLDER})
get_filename_component(plugin_name ${PLUGIN} NAME)
execute_process(COMMAND ${RUNNER} --audio ${FOLDER}/run.wav ${FOLDER}/${plugin_name} ${SCENARIO}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL 0)
    message(FATAL_ERROR "exit status ${status}")
endif()
# The scenario's last brake notch comes back from the chain.
if(NOT out MATCHES "handles B5 ")
    message(FATAL_ERROR "the driver's brake notch does not come back through the chained module")
endif()
if(NOT out MATCHES "start-up log [^\n]*/XAudio2初期化ログ.txt")
    message(FATAL_ERROR "the start-up log's place is not printed")
endif()
# The camshaft at work: notch 2 comes back as 3 once the current reaches curve 1, and power
# is cut to the top brake notch while the motors regenerate.
if(NOT out MATCHES "SetPower 2\n(frame [^\n]*\n)*frame [^\n]*handles B0 P3 R1 C0")
    message(FATAL_ERROR "notch 2 is not returned as 3 after curve 1")
endif()
if(NOT out MATCHES "SetBrake 3\n(frame [^\n]*\n)*frame [^\n]*handles B3 P-7 R1 C0")
    message(FATAL_ERROR "regeneration does not return the top brake notch")
endif()
# The drum's first turn is heard from silence, notch-off over the motors' hum, and the train
# stands silent at the end.
if(NOT out MATCHES "SetReverser 1\n(frame [^\n]*\n)*frame [0-9]+ t=[0-9]+ms: audio on")
    message(FATAL_ERROR "the reverser drum is not heard")
endif()
if(NOT out MATCHES "SetPower 0\nframe [0-9]+ t=[0-9]+ms: audio up")
    message(FATAL_ERROR "notch-off is not heard")
endif()
# (A frame line with a sound mark has it first; later lines may show the line voltage move.)
if(NOT out MATCHES "audio off\n(frame [0-9]+ t=[0-9]+ms: [hps][^\n]*\n)*DoorOpen\n")
    message(FATAL_ERROR "the train does not stand silent at the end")
endif()
# 655 frames of 20 ms at 48 kHz, stereo 16-bit, after the 44-byte header.
if(NOT out MATCHES "audio 628800 frames written to")
    message(FATAL_ERROR "the rendered audio does not follow the scenario's time")
endif()
file(SIZE ${FOLDER}/run.wav size)
if(NOT size EQUAL 2515244)
    message(FATAL_ERROR "run.wav has ${size} bytes")
endif()
file(READ "${FOLDER}/XAudio2初期化ログ.txt" log)
if(log MATCHES "失敗")
    message(FATAL_ERROR "a sample vehicle sound failed to load:\n${log}")
endif()
