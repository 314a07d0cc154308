// The client's connection handling, queue, time-outs and card watching, against a stand-in
// service; the origin probe against a loopback HTTP server of the test's own.

import assert from "node:assert/strict";
import { createServer } from "node:http";
import { describe, it } from "node:test";

import { ReaderClient } from "../dist/index.js";
import { FakeService, replies, WATCHING_SERVICE } from "./support.mjs";

const resident = replies["card-resident_long_term"];
const foreigner = replies["card-foreigner_usa"];
const noCard = replies["failure-no-card"];

function client(service, url = "ws://127.0.0.1:17171") {
  return new ReaderClient({ url, createSocket: service.factory });
}

function wait(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

/** A loopback HTTP server answering every request with the status given. */
async function httpServer(status) {
  const server = createServer((request, response) => {
    response.writeHead(status, { "Access-Control-Allow-Origin": "*", Connection: "close" });
    response.end();
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  return server;
}

describe("connection", () => {
  it("answers queued calls in order over one connection", async () => {
    const service = new FakeService();
    service.answers.push(resident, foreigner, noCard);
    const reader = client(service);
    const results = await Promise.allSettled([
      reader.readCard(),
      reader.readCard(),
      reader.readCard(),
    ]);
    assert.equal(results[0].value.kind, "resident");
    assert.equal(results[1].value.kind, "foreigner");
    assert.equal(results[2].reason.code, "no-card");
    assert.equal(service.sockets.length, 1);
    assert.deepEqual(service.sockets[0].sent, ["readcard", "readcard", "readcard"]);
    reader.close();
  });

  it("reports a connection closed before the reply, and reopens on the next call", async () => {
    const service = new FakeService();
    service.answers.push("close", resident);
    const reader = client(service);
    await assert.rejects(reader.readCard(), { code: "service-unavailable" });
    assert.equal((await reader.readCard()).kind, "resident");
    assert.equal(service.sockets.length, 2);
    reader.close();
  });

  it("times out a silent service and gives its late reply to nobody", async () => {
    const service = new FakeService();
    service.answers.push("silent", foreigner);
    const reader = client(service);
    await assert.rejects(reader.readCard({ timeoutMs: 50 }), { code: "timeout" });
    // The connection that owed a reply was given up; the next call gets a reply of its own.
    assert.equal((await reader.readCard()).kind, "foreigner");
    assert.equal(service.sockets.length, 2);
    assert.equal(service.sockets[0].readyState, 3);
    reader.close();
  });

  it("lets a queued call run after the one before it timed out", async () => {
    const service = new FakeService();
    service.answers.push("silent", resident);
    const reader = client(service);
    const first = reader.readCard({ timeoutMs: 50 });
    const second = reader.readCard({ timeoutMs: 2000 });
    await assert.rejects(first, { code: "timeout" });
    assert.equal((await second).kind, "resident");
    reader.close();
  });

  it("reads an answer that is not JSON as a failed read", async () => {
    const service = new FakeService();
    service.answers.push("not json");
    const reader = client(service);
    await assert.rejects(reader.readCard(), { code: "read-failed" });
    reader.close();
  });

  it("closes the connection on close() and opens a new one afterwards", async () => {
    const service = new FakeService();
    service.answers.push(resident, resident);
    const reader = client(service);
    await reader.readCard();
    reader.close();
    assert.equal(service.sockets[0].readyState, 3);
    await reader.readCard();
    assert.equal(service.sockets.length, 2);
    reader.close();
  });
});

describe("a connection that does not open", () => {
  for (const [status, code] of [
    [403, "origin-refused"],
    [400, "service-unavailable"],
  ]) {
    it(`is ${code} when the service's address answers ${status}`, async () => {
      const server = await httpServer(status);
      try {
        const service = new FakeService();
        service.refuse = true;
        const reader = client(service, `ws://127.0.0.1:${server.address().port}`);
        await assert.rejects(reader.readCard(), { code });
      } finally {
        server.close();
      }
    });
  }

  it("is service-unavailable when nothing listens", async () => {
    const server = await httpServer(200);
    const port = server.address().port;
    await new Promise((resolve) => server.close(resolve));
    const service = new FakeService();
    service.refuse = true;
    await assert.rejects(client(service, `ws://127.0.0.1:${port}`).readCard(), {
      code: "service-unavailable",
    });
  });
});

describe("watchCard", () => {
  it("reports a card once while it stays, and again after it was taken away", async () => {
    const service = new FakeService();
    service.answers.push(
      noCard,
      resident,
      resident,
      resident,
      noCard,
      resident,
      resident,
      foreigner,
    );
    const reader = client(service);
    const seen = [];
    const errors = [];
    const watch = reader.watchCard((card) => seen.push(card.kind), {
      intervalMs: 1,
      onError: (error) => errors.push(error.code),
      onRemoved: () => seen.push("removed"),
    });
    while (service.requests < 8) {
      await wait(5);
    }
    await wait(20);
    watch.stop();
    assert.deepEqual(seen, ["resident", "removed", "resident", "foreigner"]);
    assert.deepEqual(errors, []);
    // This service closed the connection on "version": it cannot watch, so the card was read.
    assert.deepEqual(service.sockets[0].sent, ["version"]);
    reader.close();
  });

  it("reports other failures and keeps watching; stops when aborted", async () => {
    const service = new FakeService();
    service.answers.push(replies["failure-read-failed"], resident);
    const reader = client(service);
    const seen = [];
    const errors = [];
    const abort = new AbortController();
    reader.watchCard(
      (card) => {
        seen.push(card.idNumber);
        abort.abort();
      },
      { intervalMs: 1, signal: abort.signal, onError: (error) => errors.push(error.code) },
    );
    while (seen.length === 0) {
      await wait(5);
    }
    const requests = service.requests;
    await wait(30);
    assert.equal(service.requests, requests, "no read after the abort");
    assert.deepEqual(errors, ["read-failed"]);
    reader.close();
  });
});

describe("watchCard with a service that watches", () => {
  async function until(condition) {
    while (!condition()) {
      await wait(2);
    }
  }

  it("takes pushed cards and removals on a connection of its own, beside reads", async () => {
    const service = new FakeService(WATCHING_SERVICE);
    const reader = client(service);
    const seen = [];
    const errors = [];
    const callbacks = {
      onError: (error) => errors.push(error.code),
      onRemoved: () => seen.push("removed"),
    };
    const watch = reader.watchCard((card) => seen.push(card.kind), callbacks);
    await until(() => service.watchers === 1);
    service.push(resident);
    // A second watch of the same client, which knows by now that the service can watch.
    const second = reader.watchCard((card) => seen.push("second " + card.kind));
    await until(() => service.watchers === 2);
    service.push(resident);
    service.push({ event: "removed" });
    service.push(replies["failure-read-failed"]);
    service.push({ event: "removed" });
    service.push(foreigner);
    second.stop();
    service.answers.push(resident);
    assert.equal((await reader.readCard()).kind, "resident");
    await wait(5);
    watch.stop();
    // Each card once, each removal of a reported card once, the failed read as an error.
    assert.deepEqual(seen, [
      "resident",
      "second resident",
      "removed",
      "foreigner",
      "second foreigner",
    ]);
    assert.deepEqual(errors, ["read-failed"]);
    // The version was asked once for the client; reads went on the client's own connection,
    // and stopping ended each watch on its connection.
    const sent = service.sockets.map((socket) => socket.sent);
    assert.deepEqual(sent, [["version", "watch", "unwatch"], ["watch", "unwatch"], ["readcard"]]);
    assert.equal(service.sockets[0].readyState, 3);
    assert.equal(service.requests, 1);
    reader.close();
  });

  it("reconnects when dropped, and reads where the service no longer watches", async () => {
    const service = new FakeService(WATCHING_SERVICE);
    const reader = client(service);
    const seen = [];
    const errors = [];
    const watch = reader.watchCard(
      (card) => {
        seen.push(card.kind);
        if (card.kind === "foreigner") watch.stop();
      },
      { intervalMs: 1, onError: (error) => errors.push(error.code) },
    );
    await until(() => service.watchers === 1);
    service.push(resident);
    // The service is replaced by one that cannot watch.
    service.messages = ["readcard", "version"];
    service.answers.push(noCard, foreigner);
    service.sockets[0].serverClose();
    await until(() => seen.length === 2);
    assert.deepEqual(seen, ["resident", "foreigner"]);
    assert.deepEqual(errors, ["service-unavailable"]);
    assert.deepEqual(service.sockets[1].sent, ["version"]);
    assert.equal(service.requests, 2);
    reader.close();
  });
});
