# The xml subsystem lists its sources here.
