# Lays out the build's Oracle home and creates its database DEVDB once; an
# existing database and its rows are kept across rebuilds.
# Arguments: -DTOOL=<rowpour-devdb> -DHOME=<directory>
execute_process(COMMAND ${TOOL} home ${HOME} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "rowpour-devdb home ${HOME} failed")
endif()
if(NOT EXISTS ${HOME}/oradata/devdb.db)
  execute_process(COMMAND ${TOOL} database ${HOME} DEVDB RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "rowpour-devdb database ${HOME} DEVDB failed")
  endif()
endif()
