"""A viewer in the browser: `python3 -m kvdatareader view FILE` serves a page on
127.0.0.1 where channels of the recording are picked, drawn on a shared time axis
and panned and zoomed from the whole recording down to single samples. The server
is server.py, what it draws of a channel envelope.py, the page static/, and where
the plotting library is found assets.py."""

import sys
import webbrowser

from .server import Viewer, ViewerServer, run_in_thread, start

__all__ = ["serve", "start", "run_in_thread", "Viewer", "ViewerServer"]


def serve(path, port=0, open_browser=True, verbose=False):
    """Serves the recording until interrupted, opening the page in the user's
    browser when asked and one is there."""
    server = start(path, port, verbose)
    try:
        if server.viewer.files.get("vendor/uPlot.iife.min.js") is None:
            print("kvdatareader view: uPlot was not found; the page cannot draw until `npm ci` is run "
                  "(see kvdatareader/viewer/assets.py)", file=sys.stderr)
        print(f"Viewing {path} at {server.url}", flush=True)
        print("Press Ctrl+C to stop.", flush=True)
        if open_browser and not webbrowser.open(server.url):
            print("(no browser could be opened: open the address above)", flush=True)
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
