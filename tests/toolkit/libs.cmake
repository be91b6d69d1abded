set(TEST_LIBS toolkit_install)
# The placement tests hand a machine to the real `machine boot`.
set(TEST_DEPENDS machine)
