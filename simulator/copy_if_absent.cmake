# Copies SOURCE to DESTINATION unless DESTINATION exists already.
if(NOT EXISTS "${DESTINATION}")
    configure_file("${SOURCE}" "${DESTINATION}" COPYONLY)
endif()
