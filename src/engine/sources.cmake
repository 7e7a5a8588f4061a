# The engine subsystem lists its sources here.
