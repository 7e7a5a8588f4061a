"""The package's command line: `python3 -m kvdatareader plot FILE -o quicklook.png`
draws a quick look of a recording into a PNG; `python3 -m kvdatareader view FILE`
serves it to the browser to pan and zoom through. Exit statuses as kvtool's: 0
done, 1 the library refused (missing or damaged file: its status and message), 2
bad input (unknown option or channel, empty window, a port that cannot be
listened on), 3 the picture cannot be written."""

import argparse
import sys

EXIT_OK = 0
EXIT_LIBRARY_FAILURE = 1
EXIT_BAD_INPUT = 2
EXIT_OUTPUT_FAILURE = 3

EPILOG = """exit statuses: 0 done; 1 the library refused (missing or damaged file);
2 bad input (unknown option or channel, empty window, a port in use); 3 the picture cannot be written"""


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(EXIT_BAD_INPUT, "%s: %s\n" % (self.prog, message))


def _parser():
    parser = _Parser(prog="python3 -m kvdatareader", description="Quick looks at recordings.", epilog=EPILOG)
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND", parser_class=_Parser)
    plot = commands.add_parser(
        "plot", help="draw a recording into a PNG", epilog=EPILOG,
        description="Draws the recording's channels, one axis per unit on a shared time axis, with its regions "
                    "shaded and its events marked.")
    plot.add_argument("file", metavar="FILE", help="the recording (.kvd, or zip-packaged .kxz)")
    plot.add_argument("-o", "--output", required=True, metavar="PNG", help="the picture to write")
    plot.add_argument("--channels", nargs="+", metavar="NAME",
                      help="the channels to draw (default: every numeric synchronous and asynchronous channel)")
    plot.add_argument("--from", dest="start", type=float, metavar="S", help="start of the window in seconds")
    plot.add_argument("--to", dest="stop", type=float, metavar="S", help="end of the window in seconds (exclusive)")
    view = commands.add_parser(
        "view", help="pan and zoom through a recording in the browser", epilog=EPILOG,
        description="Serves the recording on 127.0.0.1 behind a random token and opens the page in the browser: "
                    "pick channels, drag to pan, wheel to zoom, Shift+drag to zoom to a span. Stop with Ctrl+C.")
    view.add_argument("file", metavar="FILE", help="the recording (.kvd, or zip-packaged .kxz)")
    view.add_argument("--port", type=int, default=0, metavar="N",
                      help="the port to listen on (default: a free one)")
    view.add_argument("--no-browser", action="store_true", help="print the address instead of opening a browser")
    view.add_argument("--verbose", action="store_true", help="log every request")
    return parser


def _view(arguments):
    from kvdatareader.viewer import serve

    if not 0 <= arguments.port <= 65535:
        raise ValueError(f"--port {arguments.port} is no port number")
    serve(arguments.file, arguments.port, open_browser=not arguments.no_browser, verbose=arguments.verbose)
    return EXIT_OK


def _plot(arguments):
    import kvdatareader
    from kvdatareader.plot import plot_recording

    with kvdatareader.open(arguments.file) as recording:
        try:
            figure = plot_recording(recording, channels=arguments.channels, start=arguments.start,
                                    stop=arguments.stop, path=arguments.output)
        except kvdatareader.KVError:
            raise
        except OSError as error:
            # Any OSError here comes from writing the picture; the recording is open.
            raise _OutputError("cannot write %s: %s" % (arguments.output, error.strerror or error)) from error
        print("wrote %s (%d axes)" % (arguments.output, len(figure.axes)))
    return EXIT_OK


class _OutputError(Exception):
    pass


def main(argv=None):
    """Runs the command line and returns its exit status."""
    arguments = _parser().parse_args(argv)
    prog = "kvdatareader"
    try:
        import kvdatareader
    except ImportError as error:
        print("%s: %s" % (prog, error), file=sys.stderr)
        return EXIT_LIBRARY_FAILURE
    try:
        return _view(arguments) if arguments.command == "view" else _plot(arguments)
    except kvdatareader.KVError as error:
        print("%s: %s" % (prog, error), file=sys.stderr)
        return EXIT_LIBRARY_FAILURE
    except _OutputError as error:
        print("%s: %s" % (prog, error), file=sys.stderr)
        return EXIT_OUTPUT_FAILURE
    except KeyError as error:
        # The recording's KeyError names the closest channel names.
        print("%s: %s" % (prog, error.args[0] if error.args else error), file=sys.stderr)
        return EXIT_BAD_INPUT
    except ValueError as error:
        print("%s: %s" % (prog, error), file=sys.stderr)
        return EXIT_BAD_INPUT
    except OSError as error:
        # The library itself could not be loaded.
        print("%s: %s" % (prog, error), file=sys.stderr)
        return EXIT_LIBRARY_FAILURE


if __name__ == "__main__":
    sys.exit(main())
