# The deepglass Python module the add-on calls: the copy its zip carries, else the one the Debian
# package installs for Debian's Python.
try:
    from . import deepglass  # noqa: F401
except ImportError:
    import deepglass  # noqa: F401
