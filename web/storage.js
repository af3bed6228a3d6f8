// fsync in the browser: the safe save's fsync writes the whole IndexedDB-backed folder
// to IndexedDB and returns only once the browser has stored it. Unlike the C library's
// own version, a refusal by the browser fails the fsync with EIO, so the save reports
// "Error while saving" instead of claiming success, and the page hears of every outcome
// through Module.onStorageSync(path, ok, isDirectory).
mergeInto(LibraryManager.library, {
  fd_sync__deps: ['$FS'],
  fd_sync__sig: 'ii',
  fd_sync: function(fd) {
    var stream = FS.getStream(fd);
    if (!stream) return {{{ cDefine('EBADF') }}};
    return Asyncify.handleSleep(function(wakeUp) {
      var mount = stream.node.mount;
      if (!mount.type.syncfs) {
        wakeUp(0);
        return;
      }
      mount.type.syncfs(mount, false, function(err) {
        if (Module.onStorageSync) Module.onStorageSync(stream.path, !err, FS.isDir(stream.node.mode));
        wakeUp(err ? {{{ cDefine('EIO') }}} : 0);
      });
    });
  },
});
