#!/usr/bin/env python3
"""A host program for the soak test: writes print jobs into one job path.

Each job is written once the path is free again (the service has deleted the
previous job), in a few chunks with short pauses between them, so that the service
would copy a job that is still being written if it did not wait for the close.
With --hold-ms the file stays open that long after the last chunk, as a host does
that closes its print file only later. A job carries a unique id, one
token per line and an end marker, so that a print of part of it can be told from a
print of all of it. The whole job is also saved under SENT_DIR/<id> once written.

With --folder, the writer is another DOS program printing ESC/P into a watched
folder instead: each job is a new file there (<id>.PRN), written the same way, and
the next job does not wait for the service.

Lines on standard output:
  DONE <writer> <count>            every job written
  CUT <id> <chunk>                 the job file vanished before chunk <chunk> was
                                   written: the rest of that job is lost
  STUCK <id>                       the path never became free
"""
import argparse
import os
import random
import sys
import time

ALNUM = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"


def make_job(job_id, rnd, escp=False):
    """The job's bytes, in the host code page: token lines, a box-drawn rule, an
    accented line, a form feed somewhere inside (ESC/P: after a printer reset)."""
    lines = ["JOB-%s-BEGIN" % job_id]
    count = rnd.randint(8, 14)
    for k in range(1, count + 1):
        body = "".join(rnd.choice(ALNUM) for _ in range(rnd.randint(10, 30)))
        lines.append("%s/L%02d/%s" % (job_id, k, body))
    lines.append("END-%s" % job_id)
    out = bytearray(b"\x1b@\x1bt\x01" if escp else b"")
    form_feed_at = rnd.randint(2, count)
    for i, line in enumerate(lines):
        if i == form_feed_at:
            out += b"\x0c"
        out += line.encode("ascii") + b"\r\n"
        if i == 1:
            out += b"\xda" + b"\xc4" * 20 + b"\xbf\r\n"          # a boxed rule
            out += b"\xb3 \xa0rv\xa1zt\xe9r\x8b t\x81k\x94rf\xa3r\xa2g\x82p \xb3\r\n"
    return bytes(out)


def same_file(path, ino):
    try:
        return os.stat(path).st_ino == ino
    except FileNotFoundError:
        return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--path", help="the job file to write")
    ap.add_argument("--folder", help="the watched folder to write ESC/P jobs into")
    ap.add_argument("--sent", required=True, help="directory for the whole jobs")
    ap.add_argument("--writer", required=True)
    ap.add_argument("--count", type=int, required=True)
    ap.add_argument("--chunks", type=int, default=3)
    ap.add_argument("--pause-ms", type=float, default=3.0)
    ap.add_argument("--hold-ms", type=float, default=0.0,
                    help="at most this long open after the last chunk (each job draws a hold)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--timeout", type=float, default=240.0)
    args = ap.parse_args()

    rnd = random.Random(args.seed)
    pause = args.pause_ms / 1000.0
    for i in range(args.count):
        job_id = "%s-%03d" % (args.writer, i)
        data = make_job(job_id, rnd, escp=bool(args.folder))
        path = os.path.join(args.folder, job_id.upper() + ".PRN") if args.folder else args.path

        deadline = time.monotonic() + args.timeout
        while os.path.exists(path):
            if time.monotonic() > deadline:
                print("STUCK %s" % job_id, flush=True)
                return 2
            time.sleep(0.002)

        # Cut after the first line, so that every print names its job.
        first = data.index(b"\r\n") + 2
        cuts = sorted(rnd.sample(range(first, len(data)), args.chunks - 1))
        bounds = [0] + cuts + [len(data)]
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        ino = os.fstat(fd).st_ino
        for k in range(len(bounds) - 1):
            if k > 0:
                time.sleep(pause)
                if not same_file(path, ino):
                    print("CUT %s %d" % (job_id, k + 1), flush=True)
            os.write(fd, data[bounds[k]:bounds[k + 1]])
        if args.hold_ms > 0:
            time.sleep(rnd.uniform(0, args.hold_ms) / 1000.0)
        if not same_file(path, ino):
            print("CUT %s %d" % (job_id, len(bounds)), flush=True)
        os.close(fd)
        with open(os.path.join(args.sent, job_id), "wb") as f:
            f.write(data)
    print("DONE %s %d" % (args.writer, args.count), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
