# The stand-in host's drawing files.
target_link_libraries(${name} PRIVATE velkhost_drawing)

# `./run demo` end to end: the saved drawing's picture shows one site (a
# sensible aspect, not a sliver of two parts far apart) with every image it
# names found beside it, and no step reporting a failure ("失败").
set(demo_dir ${CMAKE_BINARY_DIR}/demo-test)
add_test(NAME demo_end_to_end
         COMMAND velkhost --machine ${demo_dir}/machine --module $<TARGET_FILE:velkgrx>
                 --drawing ${CMAKE_SOURCE_DIR}/tools/host/demo.dxf --save ${demo_dir}/demo-result.dxf
                 --png ${demo_dir}/demo-result.png)
set_tests_properties(demo_end_to_end PROPERTIES LABELS tools/host TIMEOUT 300
  PASS_REGULAR_EXPRESSION "picture of model space: [^\n]*\\(1600 x [4-9][0-9][0-9] pixels, [0-9]+ entities, 2 images, 0 image files missing\\)"
  FAIL_REGULAR_EXPRESSION "not saved|not opened|no picture|失败|ERROR: [A-Za-z]+Sanitizer|runtime error")
