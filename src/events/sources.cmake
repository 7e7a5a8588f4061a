# The events subsystem lists its sources here.
