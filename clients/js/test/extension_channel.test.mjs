// The extension channel against a stand-in page window and content script.

import assert from "node:assert/strict";
import { after, before, describe, it } from "node:test";

import { BRIDGE_CHANNEL, ReaderClient } from "../dist/index.js";
import { replies } from "./support.mjs";

/** A window whose postMessage reaches its own listeners, as a page's does. */
class PageWindow extends EventTarget {
  constructor() {
    super();
    this.location = { origin: "http://127.0.0.1:8000" };
    this.window = this;
  }

  postMessage(data) {
    // Node's MessageEvent takes only a port as its source; the page's own window is set after.
    setTimeout(() => {
      const event = new Event("message");
      Object.assign(event, { data, source: this });
      this.dispatchEvent(event);
    }, 1);
  }
}

/** A content script answering each read with the next answer of the list. */
function installBridge(page, answers) {
  const listener = (event) => {
    const message = event.data;
    if (message?.channel !== BRIDGE_CHANNEL || message.type !== "read") return;
    const answer = answers.shift();
    if (answer === "absent") return;
    page.postMessage({ channel: BRIDGE_CHANNEL, id: message.id, type: "accepted" });
    if (answer === "silent") return;
    const reply =
      typeof answer === "string"
        ? { type: "error", message: answer }
        : { type: "reply", reply: answer };
    page.postMessage({ channel: BRIDGE_CHANNEL, id: message.id, ...reply });
  };
  page.addEventListener("message", listener);
}

describe("extension channel", () => {
  let page;
  before(() => {
    page = new PageWindow();
    globalThis.window = page;
  });
  after(() => {
    delete globalThis.window;
  });

  it("gives the card, the card's failure, the host's failure and silence as such", async () => {
    installBridge(page, [
      replies["card-permit_macau"],
      replies["failure-no-card"],
      "Specified native messaging host not found.",
      "silent",
    ]);
    const reader = new ReaderClient({ channel: "extension" });
    assert.equal((await reader.readCard()).kind, "hongkong-macau");
    await assert.rejects(reader.readCard(), { code: "no-card" });
    await assert.rejects(
      reader.readCard(),
      (error) => error.code === "service-unavailable" && /host not found/.test(error.message),
    );
    await assert.rejects(reader.readCard({ timeoutMs: 1500 }), { code: "timeout" });
  });

  it("says the service is unavailable when no extension answers on the page", async () => {
    page = new PageWindow();
    globalThis.window = page;
    installBridge(page, ["absent"]);
    const started = Date.now();
    await assert.rejects(
      new ReaderClient({ channel: "extension" }).readCard({ timeoutMs: 20000 }),
      { code: "service-unavailable" },
    );
    assert.ok(Date.now() - started < 20000, "not left to the read's time-out");
  });
});
