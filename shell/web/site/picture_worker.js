// The page's picture reader on a thread of its own (picture_reader.js starts it the first
// time a picture is read): a file's size from its header, then its pixels no larger than the
// box, or a metafile's drawing, whose parts the page turns into bitmaps and hands back here
// to be laid onto white. However long a file takes here, the game goes on; one that takes
// too long has this thread ended from outside. A classic worker, as pictures.js and the
// decoders it loads are classic scripts.
'use strict';

importScripts('pictures.js');

let canvas = null;
let context = null;

async function read({ bytes, maxWidth, maxHeight }) {
  const size = BrindlewickPictures.probe(bytes);
  // The size first: a decode stopped at its deadline still leaves the file known as a picture.
  self.postMessage({ size });
  const picture = size ? await BrindlewickPictures.decode(bytes, '', maxWidth, maxHeight) : null;
  // The pixels go over without a copy.
  if (picture && picture.rgba) self.postMessage({ picture }, [picture.rgba.buffer]);
  else self.postMessage({ picture });
}

self.onmessage = ({ data }) => {
  if (data.read) {
    read(data.read);
  } else if (data.begin) {
    canvas = new OffscreenCanvas(data.begin.width, data.begin.height);
    context = canvas.getContext('2d', { willReadFrequently: true });
    context.fillStyle = '#ffffff';
    context.fillRect(0, 0, canvas.width, canvas.height);
  } else if (data.layer) {
    if (context) context.drawImage(data.layer, 0, 0);
    data.layer.close();
  } else if (data.end !== undefined) {
    if (data.end && context) {
      const { width, height } = canvas;
      const rgba = context.getImageData(0, 0, width, height).data;
      for (let i = 3; i < rgba.length; i += 4) rgba[i] = 255;
      self.postMessage({ picture: { width, height, rgba, opaque: true } }, [rgba.buffer]);
    }
    canvas = null;
    context = null;
  }
};
