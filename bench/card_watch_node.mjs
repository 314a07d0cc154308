// Watches the reader through the built client library for card_watch_timing.py and prints each
// event as one line of JSON with the wall-clock time it came, in milliseconds since 1970.
//
//   node card_watch_node.mjs LIBRARY_INDEX_JS URL push|poll
//
// "poll" makes the service look older than the watch message (the connection is ended when
// the library asks the version), so that the library reads again and again as it did before.
// The watch ends when standard input ends.

import { pathToFileURL } from "node:url";

const [libraryPath, url, mode] = process.argv.slice(2);
const library = await import(pathToFileURL(libraryPath).href);

function olderService(address) {
  const socket = new WebSocket(address);
  const send = socket.send.bind(socket);
  socket.send = (text) => (text === "version" ? socket.close() : send(text));
  return socket;
}

const say = (event) =>
  console.log(JSON.stringify({ ...event, at: performance.timeOrigin + performance.now() }));
const watch = library.watchCard((card) => say({ card: card.idNumber }), {
  url,
  createSocket: mode === "poll" ? olderService : (address) => new WebSocket(address),
  onRemoved: () => say({ removed: true }),
  onError: (error) => say({ error: error.code }),
});
process.stdin.resume();
process.stdin.on("end", () => {
  watch.stop();
  library.close();
});
