# Installs the build into a fresh folder, laid out as the package lays it out:
#   cmake -D build=BUILD-DIR -D root=FOLDER -P install_tree.cmake
file(REMOVE_RECURSE ${root})
set(ENV{DESTDIR} ${root})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${build} --prefix /usr COMMAND_ERROR_IS_FATAL ANY)
