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

    def readlink(self, path):
        return os.readlink(self.real(path))

    def unlink(self, path):
        os.unlink(self.real(path))

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def symlink(self, target, path):
        os.symlink(target, self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def link(self, target, path):
        return -errno.EPERM

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def truncate(self, path, size):
        os.truncate(self.real(path), size)

    def utimens(self, path, accessed, modified):
        os.utime(self.real(path), ns=(accessed.tv_sec * 10**9 + accessed.tv_nsec,
                                      modified.tv_sec * 10**9 + modified.tv_nsec))

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            return -errno.EACCES

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

            def ftruncate(self, size):
                os.ftruncate(self.fd, size)

            def flush(self):
                pass

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
