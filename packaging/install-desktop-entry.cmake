# Installs the desktop entry with an Exec line that starts the installed program: by its
# name under /usr, whose bin/ and games/ are on every user's PATH, else by its full path
# (a home folder or /opt install, whose folder may be on nobody's PATH).
# Set by the caller: ORBELIX_ENTRY_SOURCE, ORBELIX_ENTRY_OUTPUT, ORBELIX_PROGRAM_DIR,
# ORBELIX_ENTRY_DIR (relative to the prefix); CMAKE_INSTALL_PREFIX is the install's.
cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_PREFIX NORMALIZE OUTPUT_VARIABLE prefix)
string(REGEX REPLACE "(.)/$" "\\1" prefix "${prefix}")
if(prefix STREQUAL "/usr")
    set(exec "orbelix")
else()
    set(exec "${prefix}/${ORBELIX_PROGRAM_DIR}/orbelix")
    if(NOT exec MATCHES "^[A-Za-z0-9/._+-]+$")
        # Desktop entry quoting: the path in double quotes with \ " ` $ escaped, then every
        # backslash doubled for the string value, and % doubled for the field codes.
        string(REPLACE [[\]] [[\\]] exec "${exec}")
        string(REPLACE [["]] [[\"]] exec "${exec}")
        string(REPLACE [[`]] [[\`]] exec "${exec}")
        string(REPLACE [[$]] [[\$]] exec "${exec}")
        string(REPLACE [[\]] [[\\]] exec "${exec}")
        string(REPLACE [[%]] [[%%]] exec "${exec}")
        set(exec "\"${exec}\"")
    endif()
endif()
file(READ "${ORBELIX_ENTRY_SOURCE}" entry)
string(FIND "${entry}" "\nExec=orbelix\n" at)
if(at LESS 0)
    message(FATAL_ERROR "${ORBELIX_ENTRY_SOURCE} has no line Exec=orbelix")
endif()
string(REPLACE "\nExec=orbelix\n" "\nExec=${exec}\n" entry "${entry}")
# The action "Continue the last game" starts the same program.
string(REPLACE "\nExec=orbelix --resume\n" "\nExec=${exec} --resume\n" entry "${entry}")
file(WRITE "${ORBELIX_ENTRY_OUTPUT}" "${entry}")
# file(INSTALL) puts DESTDIR in front by itself.
file(INSTALL DESTINATION "${prefix}/${ORBELIX_ENTRY_DIR}" TYPE FILE FILES "${ORBELIX_ENTRY_OUTPUT}")
