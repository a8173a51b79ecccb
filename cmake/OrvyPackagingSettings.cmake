# Settings of the install layout that the downstream checks need too, which
# are configured before the packaging itself.
include_guard(GLOBAL)

set(ORVY_UDEV_RULES_DIR "/usr/lib/udev/rules.d" CACHE PATH
    "Directory where the udev rule is installed (absolute: udev reads only its own directories)")
