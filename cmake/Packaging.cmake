# What an installation holds besides the programs (their install rules sit beside each target):
# the desktop entry with its icons and metainfo, the man pages, the shell completions and the
# user guide. CPack makes one .deb per component on Linux (`applications`, `simulator`) and a
# ZIP of the CLI with the substitute DLLs from the Windows build.
#
# The documents name the paths of the Debian package, whose prefix is always /usr.
set(CTRL_PACKAGE_PREFIX /usr)
set(CTRL_DOCDIR_IN_PACKAGE ${CTRL_PACKAGE_PREFIX}/${CMAKE_INSTALL_DOCDIR})
set(CTRL_SIMULATOR_LIBDIR_IN_PACKAGE ${CTRL_PACKAGE_PREFIX}/${CTRL_SIMULATOR_LIBDIR})

set(CTRL_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(CTRL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)

if(UNIX AND TARGET ctrltool)
  # Desktop entry, icon (the SVG, and PNGs drawn from it for desktops that want them) and the
  # metainfo that software centres read.
  install(FILES ${CTRL_DATA_DIR}/${CTRL_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT applications)
  install(FILES ${CTRL_DATA_DIR}/${CTRL_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT applications)

  string(TIMESTAMP CTRL_RELEASE_DATE "%Y-%m-%d" UTC)
  set(CTRL_METAINFO ${CTRL_GENERATED_DIR}/${CTRL_APP_ID}.metainfo.xml)
  configure_file(${CTRL_DATA_DIR}/${CTRL_APP_ID}.metainfo.xml.in ${CTRL_METAINFO} @ONLY)
  install(FILES ${CTRL_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
          COMPONENT applications)

  find_program(CTRL_RSVG_CONVERT rsvg-convert)
  if(CTRL_RSVG_CONVERT)
    set(icon_pngs)
    foreach(size 48 128 256)
      set(png ${CTRL_GENERATED_DIR}/icons/${size}x${size}/${CTRL_APP_ID}.png)
      add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CTRL_GENERATED_DIR}/icons/${size}x${size}
        COMMAND ${CTRL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CTRL_DATA_DIR}/${CTRL_APP_ID}.svg
        DEPENDS ${CTRL_DATA_DIR}/${CTRL_APP_ID}.svg
        COMMENT "Icon ${size}x${size}" VERBATIM)
      list(APPEND icon_pngs ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
              COMPONENT applications)
    endforeach()
    add_custom_target(icons ALL DEPENDS ${icon_pngs})
  else()
    message(WARNING "rsvg-convert not found (scripts/bootstrap): no PNG icons are installed")
  endif()

  # The user guide, its pictures and the README. The pictures come from `ctrltool
  # --screenshot`: the guide-screenshots target draws them again into the source tree.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/guide.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT applications)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}
          COMPONENT applications FILES_MATCHING PATTERN "*.png")
  add_custom_target(guide-screenshots
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${PROJECT_SOURCE_DIR}/docs/images
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:ctrltool> --simulate --screenshot ${PROJECT_SOURCE_DIR}/docs/images
    DEPENDS ctrltool
    COMMENT "The guide's pictures, from ctrltool --simulate --screenshot" VERBATIM)
endif()

# The fleet agent's service, started by systemd, and an example of its settings.
if(TARGET ctrltool-agent)
  install(FILES ${PROJECT_SOURCE_DIR}/data/ctrltool-agent.service
          DESTINATION lib/systemd/system COMPONENT applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/agent.toml
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT applications)
endif()

# Man pages: scdoc sources with the version and paths filled in, turned into roff and packed.
find_program(CTRL_SCDOC scdoc)
if(UNIX AND CTRL_SCDOC)
  set(CTRL_MAN_PAGES)
  foreach(program ctrltool ctrltool-cli ctrltool-agent camsim)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(source ${CTRL_GENERATED_DIR}/man/${program}.1.scd)
    set(page ${CTRL_GENERATED_DIR}/man/${program}.1)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${program}.1.scd ${source} @ONLY)
    add_custom_command(
      OUTPUT ${page} ${page}.gz
      COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && gzip -9nf -c \"$2\" > \"$2.gz\""
              ${CTRL_SCDOC} ${source} ${page}
      DEPENDS ${source}
      COMMENT "Man page ${program}(1)" VERBATIM)
    list(APPEND CTRL_MAN_PAGES ${page})
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT applications)
  endforeach()
  add_custom_target(man ALL DEPENDS ${CTRL_MAN_PAGES})
elseif(UNIX)
  message(WARNING "scdoc not found (scripts/bootstrap): no man pages are built")
endif()

# Shell completions, written by the CLI itself from its own command definitions.
if(TARGET ctrltool-cli AND NOT CMAKE_CROSSCOMPILING)
  set(CTRL_BASH_COMPLETION ${CTRL_GENERATED_DIR}/completion/ctrltool-cli)
  set(CTRL_ZSH_COMPLETION ${CTRL_GENERATED_DIR}/completion/_ctrltool-cli)
  add_custom_command(
    OUTPUT ${CTRL_BASH_COMPLETION} ${CTRL_ZSH_COMPLETION}
    COMMAND sh -c "\"$0\" completion bash > \"$1\" && \"$0\" completion zsh > \"$2\""
            $<TARGET_FILE:ctrltool-cli> ${CTRL_BASH_COMPLETION} ${CTRL_ZSH_COMPLETION}
    DEPENDS ctrltool-cli
    COMMENT "Shell completions of ctrltool-cli" VERBATIM)
  add_custom_target(completions ALL DEPENDS ${CTRL_BASH_COMPLETION} ${CTRL_ZSH_COMPLETION})
  install(FILES ${CTRL_BASH_COMPLETION}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT applications)
  install(FILES ${CTRL_ZSH_COMPLETION}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT applications)
endif()

# Packages.
set(CPACK_PACKAGE_NAME ctrltool)
set(CPACK_PACKAGE_VENDOR Ornvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each .deb's description starts with its own summary line: CPack would put a package-wide
# summary above every one, so none is set.
set(CTRL_PACKAGE_SUMMARY
    "Control tool for QX-4096M/TR-PCL and QX-8192M-PCL line-scan Camera Link cameras")
set(CPACK_PACKAGE_HOMEPAGE_URL ${CTRL_HOMEPAGE})
set(CPACK_PACKAGE_CONTACT ${CTRL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL applications simulator)
set(CPACK_COMPONENT_APPLICATIONS_DISPLAY_NAME "Control tool")
set(CPACK_COMPONENT_SIMULATOR_DISPLAY_NAME "Substitute Camera Link serial libraries")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_PACKAGE_FILE_NAME ctrltool-cli-${PROJECT_VERSION}-windows-x64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CTRL_PACKAGE_PREFIX})
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CTRL_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_APPLICATIONS_PACKAGE_NAME ctrltool)
  set(CPACK_DEBIAN_APPLICATIONS_DESCRIPTION
      "${CTRL_PACKAGE_SUMMARY}
The operator's window (ctrltool), the command-line tool for scripts and production lines
(ctrltool-cli), the fleet agent that serves a PC's cameras on an MQTT broker (ctrltool-agent,
with its systemd unit) and a simulated camera on a pseudo-terminal (camsim). The cameras are
reached through a COM port or a frame grabber's Camera Link serial library.
.
Serial devices belong to the group dialout: the user must be a member to open a COM port.")
  set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME ctrltool-simulator)
  set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_SIMULATOR_DESCRIPTION
      "Simulated cameras behind substitute Camera Link serial libraries
Camera Link serial libraries (libclserial.so, libclallserial.so and a vendor file
libclsersim.so) that serve simulated QX line-scan cameras, for trying ctrltool and
ctrltool-cli with a frame grabber's port categories and no hardware. They are installed
under ${CTRL_SIMULATOR_LIBDIR_IN_PACKAGE}, off the default library path.")
endif()
include(CPack)
