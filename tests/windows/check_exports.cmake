# Fails unless the export table of kcmb.dll (objdump -p) holds every name of
# the list: the link library's functions (C++ names, mangled) and the C
# functions of kcmb_c.h (plain).
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE table RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
set(names
  KCInit KCClose KCOpenPort KCOpenPortWhy KCClosePort KCCommModBus KCGetErrorTxt KCGetTimeOut KCSetTimeOut
  KCSetEchoMode KCGetEchoMode KCLineEchoes KCSetPortSpeed GetPortNum PreparePortName getKCPortInfo
  readException readTypeID readWords writeWords writeTable getDeviceInfo
  getDeviceName KCGetSensorName KCGetDevModeName KCGetBaudRateName KCGetSplineStepName
  TermDataFile4Read TermDataFile4Save TermDataFile10SaveResult TermDataFile3Add)
foreach(name ${names})
  if(NOT table MATCHES "\\] [_A-Za-z0-9]*${name}[A-Za-z0-9_]*\n")
    message(FATAL_ERROR "kcmb.dll does not export ${name}")
  endif()
endforeach()
set(c_names kcmb_init kcmb_close kcmb_open_port kcmb_close_port kcmb_set_timeout kcmb_get_device_info
  kcmb_read_exception kcmb_read_type_id kcmb_read_words kcmb_write_words kcmb_error_text kcmb_device_name
  kcmb_open_error_text)
foreach(name ${c_names})
  if(NOT table MATCHES "\\] ${name}\n")
    message(FATAL_ERROR "kcmb.dll does not export the C function ${name}")
  endif()
endforeach()
