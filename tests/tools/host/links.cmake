# The stand-in host's drawing files.
target_link_libraries(${name} PRIVATE velkhost_drawing)
