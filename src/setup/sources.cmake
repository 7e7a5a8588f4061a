# The setup subsystem lists its sources here.
