# The Debian package: cpack -G DEB in a Release build (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The korvex developers")
set(CPACK_PACKAGE_CONTACT "The korvex developers <maintainers@korvex.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shock pulse time histories, their figures and spectra")
set(CPACK_PACKAGE_DESCRIPTION
    "korvex generates the sampled time history of one shock pulse, a half-sine or
a terminal sawtooth, from its amplitude, pulse duration, record length and
sample rate, and saves it as a two-column text file (time in seconds,
amplitude) for plotting or analysis in another program.

Its window shows the pulse at once: the time history, the shock response
spectrum and the figures (peak, velocity change, sampling). korvex-cli writes
the same files from scripts and reports the figures as JSON and the spectrum
as a table.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # korvex_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The korvex developers <maintainers@korvex.org>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # dependencies from the binaries themselves
# The readers of .mat (matio, built with HDF5 for v7.3) and WAV files and
# the check's alignment (FFTW 3), named too so that the package says so
# even where shlibdeps misses one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmatio11, libsndfile1, libfftw3-double3")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
