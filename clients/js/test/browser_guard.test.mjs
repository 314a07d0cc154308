// How the browser's guard of the loopback address shows: the permission mapped onto the
// error codes, status() without a read, and the automatic fall-back to the extension.

import assert from "node:assert/strict";
import { createServer } from "node:net";
import { describe, it } from "node:test";

import { ReaderClient } from "../dist/index.js";
import { FakeService, replies } from "./support.mjs";

const resident = replies["card-resident_long_term"];

/** A page as the browser shows it to scripts; `known` are the permission names it knows. */
function page({ host = "counter.example.com", secure = true, state, known } = {}) {
  const asked = [];
  const permissions = {
    query: async ({ name }) => {
      asked.push(name);
      if (!(known ?? ["loopback-network", "local-network-access"]).includes(name)) {
        throw new TypeError(`'${name}' is not a valid permission name`);
      }
      return { state };
    },
  };
  return {
    asked,
    isSecureContext: secure,
    location: { hostname: host },
    navigator: state === undefined ? {} : { permissions },
  };
}

/** A loopback port nobody listens on, so that the origin probe finds nothing. */
async function closedPort() {
  const server = createServer();
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

describe("the browser's guard", () => {
  it("names the browser, not the service, when it keeps a public page away", async () => {
    const url = `ws://127.0.0.1:${await closedPort()}`;
    const cases = [
      // [page, code, permission on the error, connections tried]
      [{ state: "prompt" }, "permission-denied", "prompt", 1],
      [{ state: "denied" }, "permission-denied", "denied", 0],
      [{ state: "prompt", known: ["local-network-access"] }, "permission-denied", "prompt", 1],
      [{ host: "intranet", secure: false, state: "denied" }, "insecure-page", "denied", 0],
      [{ state: "granted" }, "service-unavailable", undefined, 1],
      [{}, "service-unavailable", undefined, 1],
      // A page of the machine itself is never blocked, whatever the browser answers.
      [{ host: "127.0.0.1", state: "prompt" }, "service-unavailable", undefined, 1],
    ];
    for (const [shape, code, permission, tried] of cases) {
      const service = new FakeService();
      service.refuse = true;
      const reader = new ReaderClient({ url, createSocket: service.factory, page: page(shape) });
      const error = await reader.readCard({ timeoutMs: 3000 }).then(
        () => assert.fail("read a card"),
        (failure) => failure,
      );
      const label = JSON.stringify(shape);
      assert.equal(error.code, code, label);
      assert.equal(error.permission, permission, label);
      assert.equal(service.sockets.length, tried, label);
      if (code === "permission-denied") {
        assert.match(error.message, /allow the site.*LoopbackNetworkAllowedForUrls/, label);
      }
    }
  });

  it("status() tells a blocked page, a current service and an older one apart", async () => {
    const blocked = new FakeService();
    blocked.refuse = true;
    const blockedPage = page({ state: "prompt" });
    const status = await new ReaderClient({
      createSocket: blocked.factory,
      page: blockedPage,
    }).status();
    assert.deepEqual(
      { endpoint: status.endpoint, permission: status.permission, service: status.service },
      { endpoint: "blocked-by-browser", permission: "prompt", service: null },
    );
    assert.equal(status.extension, false);

    const version = {
      name: "VornIdReader",
      version: "1.1.0",
      replyFormat: 1,
      messages: ["readcard", "version"],
    };
    const current = new FakeService(version.messages);
    // A service from before the version message closes the connection on it.
    const older = new FakeService();
    const granted = page({ state: "granted" });
    const [now, before] = await Promise.all([
      new ReaderClient({ createSocket: current.factory, page: granted }).status(),
      new ReaderClient({ createSocket: older.factory, page: granted }).status(),
    ]);
    assert.equal(now.endpoint, "reachable");
    assert.deepEqual(now.service, version);
    assert.equal(now.permission, "granted");
    assert.deepEqual(current.sockets[0].sent, ["version"]);
    assert.equal(before.endpoint, "reachable");
    assert.equal(before.service, "older");
  });

  it("auto reads through the extension while the WebSocket is blocked", async () => {
    // The extension's content script on the page: accepts a read, then brings the reply.
    const window = new EventTarget();
    const post = (data) =>
      setTimeout(() =>
        window.dispatchEvent(Object.assign(new Event("message"), { data, source: window })),
      );
    window.postMessage = (message) => {
      if (message.type === "read") {
        post({ channel: message.channel, id: message.id, type: "accepted" });
        post({ channel: message.channel, id: message.id, type: "reply", reply: resident });
      }
    };
    const service = new FakeService();
    service.refuse = true;
    const options = { createSocket: service.factory, page: page({ state: "prompt" }) };
    globalThis.window = window;
    try {
      const card = await new ReaderClient({ ...options, channel: "auto" }).readCard();
      assert.equal(card.channel, "extension");
      assert.equal(card.kind, "resident");
      assert.equal(service.sockets.length, 1);
    } finally {
      delete globalThis.window;
    }
    // Without the extension, the page learns why the WebSocket failed.
    await assert.rejects(new ReaderClient({ ...options, channel: "auto" }).readCard(), {
      code: "permission-denied",
    });
  });
});
