// fsync in the browser. The program's safe save runs on the in-memory file system as on
// the desktop; its fsync of the finished temporary file is where the page stores that one
// file in the browser (Module.storeFile(path) returns a promise). The program waits for the
// browser's answer, and a refusal fails the fsync with EIO, so the save reports "Error
// while saving" instead of claiming success. Other fsyncs have nothing to store.
mergeInto(LibraryManager.library, {
  fd_sync__deps: ['$FS'],
  fd_sync__sig: 'ii',
  fd_sync: function(fd) {
    var stream = FS.getStream(fd);
    if (!stream) return {{{ cDefine('EBADF') }}};
    if (!Module.storeFile || !FS.isFile(stream.node.mode)) return 0;
    return Asyncify.handleSleep(function(wakeUp) {
      Module.storeFile(stream.path).then(function() { wakeUp(0); },
                                         function() { wakeUp({{{ cDefine('EIO') }}}); });
    });
  },
});
