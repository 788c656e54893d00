#!/usr/bin/python3
"""A folder passed through FUSE the way an exFAT stick, a phone or a desktop share shows it: no hard links
(EPERM), no rename flags (libfuse 2 has no rename2, so the kernel answers EINVAL) and no files without
names.

    no_links_fs.py MOUNTPOINT -f -o root=FOLDER        (unmount with fusermount -u MOUNTPOINT)
"""
import errno
import os

import fuse

fuse.fuse_python_api = (0, 2)


class NoLinks(fuse.Fuse):
    def __init__(self, *args, **kw):
        super().__init__(*args, **kw)
        self.root = "/"

    def real(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def getattr(self, path):
        return os.lstat(self.real(path))

    def readdir(self, path, offset):
        for name in [".", ".."] + os.listdir(self.real(path)):
            yield fuse.Direntry(name)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def link(self, target, path):
        return -errno.EPERM

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def statfs(self):
        return os.statvfs(self.root)

    def main(self, *args, **kw):
        server = self

        class File:
            def __init__(self, path, flags, *mode):
                self.fd = os.open(server.real(path), flags, *mode)

            def read(self, length, offset):
                return os.pread(self.fd, length, offset)

            def write(self, data, offset):
                return os.pwrite(self.fd, data, offset)

            def fgetattr(self):
                return os.fstat(self.fd)

            def fsync(self, datasync):
                os.fsync(self.fd)

            def release(self, flags):
                os.close(self.fd)

        self.file_class = File
        return fuse.Fuse.main(self, *args, **kw)


def main():
    server = NoLinks(version="%prog 1", usage=__doc__, dash_s_do="setsingle")
    server.parser.add_option(mountopt="root", metavar="FOLDER", default="/", help="the folder passed through")
    server.parse(values=server, errex=1)
    server.multithreaded = False
    server.main()


if __name__ == "__main__":
    main()
