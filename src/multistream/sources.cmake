# The multistream subsystem lists its sources here.
