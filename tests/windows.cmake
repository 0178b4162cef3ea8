# What only Windows has, under Wine (scripts/windows runs these with the rest of the suite).

# Names written on Windows, read back from the Linux side.
add_test(NAME windows_names
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/names.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                 $<TARGET_FILE:varnolt-forum> $<TARGET_FILE:varnolt-cli>)

# The window on Windows' own platform rather than offscreen: Wine draws it on the X display
# that scripts/windows starts.
foreach(test tst_form1 tst_program)
    add_test(NAME ${test}_windows_platform COMMAND ${test})
    set_tests_properties(${test}_windows_platform PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=windows"
                         COST 10)
endforeach()

# Ctrl-C through the console's own event, the way Wine delivers it.
add_test(NAME windows_interrupt
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/interrupt.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                 $<TARGET_FILE:varnolt-forum> $<TARGET_FILE:varnolt-cli>)
