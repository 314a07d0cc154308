// The test asks through this worker, as an extension asks the host: one message, one reply.
//
// Chromium's sendNativeMessage takes only an object as the message, and the host answers the
// JSON string "readidbase": a port's postMessage sends any JSON value, strings included.
"use strict";

const HOST = "com.vorn.idreader";

// Resolves with the host's reply, or with {error} when the browser could not deliver it.
self.readCard = () =>
  new Promise((resolve) => {
    const port = chrome.runtime.connectNative(HOST);
    port.onMessage.addListener((reply) => {
      resolve(reply);
      port.disconnect();
    });
    port.onDisconnect.addListener(() => {
      const error = chrome.runtime.lastError;
      resolve({ error: error ? error.message : "the host ended without a reply" });
    });
    port.postMessage("readidbase");
  });
