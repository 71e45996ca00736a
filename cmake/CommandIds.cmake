# Writes core/actors/command_ids.h from src/core/actors/command_table.inc and
# src/core/actors/unregistered_commands.txt: one constant per command, in a
# namespace per class (cmd::<class>::<Name>), and one k<Class>ClassId constant
# per class id.
#
# A command's name is its table name with every run of characters other than
# letters and digits taken as a word break and every word's first letter made
# capital ("Set Position" -> SetPosition, "get_lightsensor_ray_receive" ->
# GetLightsensorRayReceive). When two or more rows of one class give the same
# name, or a row's name gives none, every such row gets "_<id>" appended
# ("Open Door" 768 and 770 -> OpenDoor_768, OpenDoor_770; "" 1049 ->
# Unnamed_1049), so a name never depends on the order of the rows.
#
# Run at configure time; both lists are configure dependencies, so editing one
# writes the header afresh on the next build. The header is only rewritten
# when its text changes.

# Every class id: the number, the name of its k<Name>ClassId constant and the
# namespace of its commands. The table's class lines must name one of these.
set(ENGINE_CLASS_IDS
    "0 Base base"
    "1 ActorSystem actor_system"
    "2 Sound sound"
    "3 MeshObject mesh_object"
    "4 Light light"
    "5 File file"
    "6 FileIO file_io"
    "7 Environment environment"
    "8 ClassManager class_manager"
    "9 Player player"
    "10 Inventory inventory"
    "11 Timer timer"
    "12 GameObject game_object"
    "13 Door door"
    "14 GameContainer game_container"
    "15 DrawGroup draw_group"
    "16 Character character"
    "17 SkinObject skin_object"
    "18 ParticleSystem particle_system"
    "19 Camera camera"
    "20 DrawGroupConnector draw_group_connector"
    "21 SpawnPoint spawn_point"
    "22 Developer developer"
    "23 Developer2 developer2"
    "24 Developer3 developer3"
    "25 Guard guard"
    "26 PathNode path_node"
    "27 Path path"
    "28 MatrixAnimation matrix_animation"
    "29 AIPlayer ai_player"
    "30 AmbientSound ambient_sound"
    "31 Trigger trigger"
    "32 AIHelper ai_helper"
    "33 UiSystem ui_system"
    "34 UiButton ui_button"
    "35 UiText ui_text"
    "36 UiSprite ui_sprite"
    "37 Reference reference"
    "38 UiMapInput ui_map_input"
    "39 NullActor null_actor"
    "40 Animation animation"
    "41 UVAnimation uv_animation"
    "42 AutoAim auto_aim"
    "43 Simulation simulation"
    "44 UiWindow ui_window"
    "45 SaveGame save_game"
    "46 Lod lod"
    "47 TimeInstance time_instance"
    "48 AimTarget aim_target"
    "49 Player2 player2"
    "50 AIPlayer2 ai_player2"
    "51 Character2 character2"
    "52 LightSensor light_sensor"
    "53 State state")

# Turns a table name into the constant's name (before any "_<id>").
function(engine_command_identifier name out)
    string(REGEX REPLACE "[^A-Za-z0-9]+" ";" words "${name}")
    set(result "")
    foreach(word IN LISTS words)
        if(word STREQUAL "")
            continue()
        endif()
        string(SUBSTRING "${word}" 0 1 first)
        string(SUBSTRING "${word}" 1 -1 rest)
        string(TOUPPER "${first}" first)
        string(APPEND result "${first}${rest}")
    endforeach()
    set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Writes the header `output` from the table `table` and the list of
# unregistered commands `unregistered` (same row form); an id stands once in
# the two.
function(engine_write_command_ids table unregistered output)
    set(highest 0)
    foreach(entry IN LISTS ENGINE_CLASS_IDS)
        string(REPLACE " " ";" parts "${entry}")
        list(GET parts 0 number)
        list(GET parts 1 class_name)
        list(GET parts 2 space)
        set(class_${number}_name "${class_name}")
        set(class_${number}_space "${space}")
        set(class_${number}_rows "")
        if(number GREATER highest)
            set(highest ${number})
        endif()
    endforeach()

    # Rows, class by class, in table order; then the unregistered ones.
    file(STRINGS "${table}" lines)
    file(STRINGS "${unregistered}" more)
    list(APPEND lines "end of table" ${more})
    set(current "")
    set(class_order "")
    foreach(line IN LISTS lines)
        if(line STREQUAL "end of table")
            set(current "")
            continue()
        endif()
        if(line MATCHES "^class ([0-9]+)$")
            set(current "${CMAKE_MATCH_1}")
            if(NOT DEFINED class_${current}_name)
                message(FATAL_ERROR "${table}: class ${current} has no entry in ENGINE_CLASS_IDS")
            endif()
            if(NOT current IN_LIST class_order)
                list(APPEND class_order "${current}")
            endif()
        elseif(line MATCHES "^([0-9]+) \"([^\"]*)\"")
            set(id "${CMAKE_MATCH_1}")
            engine_command_identifier("${CMAKE_MATCH_2}" ident)
            if(current STREQUAL "")
                message(FATAL_ERROR "${table}: row ${id} before the first class line")
            endif()
            if(DEFINED seen_${id})
                message(FATAL_ERROR "command ${id} listed twice (table and unregistered list)")
            endif()
            set(seen_${id} 1)
            list(APPEND class_${current}_rows "${id}")
            set(row_${current}_${id}_ident "${ident}")
            if(ident STREQUAL "")
                set(ident "Unnamed")
            endif()
            if(DEFINED count_${current}_${ident})
                math(EXPR count_${current}_${ident} "${count_${current}_${ident}} + 1")
            else()
                set(count_${current}_${ident} 1)
            endif()
        endif()
    endforeach()

    set(text "// Written by the build from core/actors/command_table.inc (see
// cmake/CommandIds.cmake); do not edit. One constant per command, in the
// namespace of the class that registers it, and one per class id.
#pragma once

#include <cstdint>

")
    foreach(entry IN LISTS ENGINE_CLASS_IDS)
        string(REPLACE " " ";" parts "${entry}")
        list(GET parts 0 number)
        list(GET parts 1 class_name)
        string(APPEND text "inline constexpr uint32_t k${class_name}ClassId = ${number};\n")
    endforeach()
    string(APPEND text "inline constexpr uint32_t kHighestClassId = ${highest};\n")

    string(APPEND text "\nnamespace cmd {\n")
    foreach(number IN LISTS class_order)
        string(APPEND text "\nnamespace ${class_${number}_space} { // class ${number}\n")
        foreach(id IN LISTS class_${number}_rows)
            set(ident "${row_${number}_${id}_ident}")
            if(ident STREQUAL "")
                set(ident "Unnamed_${id}")
            elseif(count_${number}_${ident} GREATER 1)
                set(ident "${ident}_${id}")
            endif()
            string(APPEND text "inline constexpr uint32_t ${ident} = ${id};\n")
        endforeach()
        string(APPEND text "} // namespace ${class_${number}_space}\n")
    endforeach()
    string(APPEND text "\n} // namespace cmd\n")

    file(CONFIGURE OUTPUT "${output}" CONTENT "${text}" @ONLY)
endfunction()
