# Fails unless the shared library exports the public classes and keeps its internals hidden.
execute_process(COMMAND nm -D --defined-only -C ${LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIB}")
endif()
foreach(wanted "OGL_TESK_AE::String::Format" "OGL_TESK_AE::Error::what" "OGL_TESK_AE::sThread"
               "TESK_AE::StaticList::Decrement" "OGL_TESK_AE::Thread::Execute"
               "gBlockAllEventsNotNeededForNestedRender" "OGL_TESK_AE::IsExtensionSupported"
               "OGL_TESK_AE::RootContext::Select")
    string(FIND "${symbols}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing export: ${wanted}")
    endif()
endforeach()
foreach(hidden "TESK_AE::platform::" "OpenGLWorkerBackend" "CopyToBuffer")
    string(FIND "${symbols}" "${hidden}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "internal symbol exported: ${hidden}")
    endif()
endforeach()
