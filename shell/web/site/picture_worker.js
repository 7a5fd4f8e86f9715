// The page's picture reader on a thread of its own (picture_reader.js starts it the first
// time a picture is read): a file's size from its header, then its pixels no larger than the
// box, or a metafile's drawing. However long a file takes here, the game goes on; one that
// takes too long has this thread ended from outside. A classic worker, as pictures.js and
// the decoders it loads are classic scripts.
'use strict';

importScripts('pictures.js');

self.onmessage = async (event) => {
  const { bytes, maxWidth, maxHeight } = event.data;
  const size = BrindlewickPictures.probe(bytes);
  // The size first: a decode stopped at its deadline still leaves the file known as a picture.
  self.postMessage({ size });
  const picture = size ? await BrindlewickPictures.decode(bytes, '', maxWidth, maxHeight) : null;
  // The pixels go over without a copy.
  if (picture && picture.rgba) self.postMessage({ picture }, [picture.rgba.buffer]);
  else self.postMessage({ picture });
};
