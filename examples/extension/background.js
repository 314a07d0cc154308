// Asks the VornIdReader program for the card whenever a page's content script asks this
// extension. The browser starts the program for each request; it answers once and ends.
"use strict";

// Name of the native-messaging host; the host manifest registered on the computer has it too.
const HOST = "com.vorn.idreader";
// The one request the program answers, sent as a JSON string.
const REQUEST = "readidbase";

function askHost() {
  return new Promise((resolve) => {
    let answered = false;
    const port = chrome.runtime.connectNative(HOST);
    port.onMessage.addListener((reply) => {
      answered = true;
      resolve({ reply });
      port.disconnect();
    });
    port.onDisconnect.addListener(() => {
      if (!answered) {
        const error = chrome.runtime.lastError;
        resolve({
          error: error
            ? error.message
            : "the reader program ended without a reply",
        });
      }
    });
    // A port is used rather than sendNativeMessage, which takes only objects: the program
    // expects a JSON string.
    port.postMessage(REQUEST);
  });
}

chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (!message || message.type !== "read" || !sender.tab) {
    return false;
  }
  askHost().then(sendResponse);
  return true; // the answer comes later
});
