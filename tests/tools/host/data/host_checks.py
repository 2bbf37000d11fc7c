"""What the velkhost checks of this folder share: their options and the
work folder they make."""
import os
import shutil


def add_run_options(parser, default_jobs):
    """--velkhost, --module, --work and --jobs."""
    parser.add_argument("--velkhost", required=True)
    parser.add_argument("--module")
    parser.add_argument("--work", default=None)
    parser.add_argument("--jobs", type=int, default=default_jobs)


def make_work_folder(given, name):
    """The work folder (`given`, or NAME in the current folder) made anew,
    marked as the check's own by the file .NAME in it: only a folder the
    check made (or an empty one) is cleared. Its path, and None when it is
    ready or else why it is refused."""
    work = os.path.abspath(given or os.path.join(os.getcwd(), name))
    marker = os.path.join(work, "." + name.replace("_", "-"))
    if os.path.isdir(work) and os.listdir(work):
        if not os.path.exists(marker):
            return work, "%s holds files this check did not make: give another --work" % work
        shutil.rmtree(work)
    os.makedirs(work, exist_ok=True)
    open(marker, "w").close()
    return work, None
