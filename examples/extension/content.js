// Bridges the page and the extension: the page posts a read request to its own window, this
// script passes it on and posts the extension's answer back. Pages use the client library's
// extension channel, which speaks this protocol.
"use strict";

(() => {
  const CHANNEL = "vornidreader";
  // Answers go only to a document of the origin the request came from.
  const target =
    window.location.origin === "null" ? "*" : window.location.origin;

  function answer(id, fields) {
    window.postMessage(Object.assign({ channel: CHANNEL, id }, fields), target);
  }

  window.addEventListener("message", (event) => {
    const message = event.data;
    if (
      event.source !== window ||
      !message ||
      message.channel !== CHANNEL ||
      typeof message.id !== "string"
    ) {
      return;
    }
    // A page asks whether the extension is here without starting the reader program.
    if (message.type === "ping") {
      answer(message.id, { type: "pong" });
      return;
    }
    if (message.type !== "read") {
      return;
    }
    // Said at once, so that a page without this extension can tell it is missing quickly.
    answer(message.id, { type: "accepted" });
    chrome.runtime.sendMessage({ type: "read" }).then(
      (response) => {
        if (response && "reply" in response) {
          answer(message.id, { type: "reply", reply: response.reply });
        } else {
          answer(message.id, {
            type: "error",
            message: (response && response.error) || "no answer",
          });
        }
      },
      (error) =>
        answer(message.id, {
          type: "error",
          message: String((error && error.message) || error),
        }),
    );
  });
})();
