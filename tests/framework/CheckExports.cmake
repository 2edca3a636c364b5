# Fails unless PROGRAM's export table names every framework callback.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
foreach(name FENETRE::PasseWndProc M_DIALOG::PasseDlgProc M_DIALOG::PasseSheetDlgProc
             PERIODE::TimerProc PALETTE::CommDlgHook)
  string(FIND "${table}" "] ${name}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name} is not exported by ${PROGRAM}")
  endif()
endforeach()
