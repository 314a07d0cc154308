// What stands between the page and the card, found without reading it: the endpoint, the
// browser's permission, the service's version and the extension.

import { connectionFailure, refusalBeforeConnecting, RefusalProbe } from "./connection_failure.js";
import { ReaderError } from "./errors.js";
import { ExtensionChannel } from "./extension_channel.js";
import { LoopbackPermission, loopbackPermission, PageEnvironment } from "./permission.js";
import { SocketFactory } from "./websocket_channel.js";

/** The message the service answers with its version document. */
export const VERSION_COMMAND = "version";

/** Who the service is, as it answers the message "version". */
export interface ServiceVersion {
  /** "VornIdReader". */
  name: string;
  /** The program's version, such as "1.0.0". */
  version: string;
  /** The form of the reply document; raised when a member is added, renamed or redefined. */
  replyFormat: number;
  /** Every message the endpoint answers, such as ["readcard", "unwatch", "version", "watch"]. */
  messages: string[];
}

/** How the WebSocket endpoint answered. */
export type EndpointState =
  /** Connected: the service runs and accepts this page. */
  | "reachable"
  /** The service runs but its allowed origins do not list this page. */
  | "origin-refused"
  /** The browser did not let the page connect: the site is not allowed yet, or was refused. */
  | "blocked-by-browser"
  /** As blocked-by-browser, on a page without https, where the browser cannot even ask. */
  | "insecure-page"
  /** Nothing listens: the service is not installed, not running, or on another port. */
  | "not-listening";

export interface ReaderStatus {
  /** The service's address that was tried. */
  url: string;
  endpoint: EndpointState;
  /** The browser's loopback-network permission for this page. */
  permission: LoopbackPermission;
  /**
   * The service's version; "older" for a service from before the "version" message (it ends
   * the connection without an answer); null when the endpoint was not reached or the service
   * did not answer in time.
   */
  service: ServiceVersion | "older" | null;
  /** Whether the VornIdReader extension answers on this page (its program is not started). */
  extension: boolean;
}

export function isServiceVersion(value: unknown): value is ServiceVersion {
  const version = value as ServiceVersion | null;
  return (
    typeof version === "object" &&
    version !== null &&
    typeof version.name === "string" &&
    typeof version.version === "string" &&
    typeof version.replyFormat === "number" &&
    Array.isArray(version.messages)
  );
}

function endpointState(error: ReaderError): EndpointState {
  switch (error.code) {
    case "permission-denied":
      return "blocked-by-browser";
    case "insecure-page":
      return "insecure-page";
    case "origin-refused":
      return "origin-refused";
    default:
      return "not-listening";
  }
}

type Endpoint = Pick<ReaderStatus, "endpoint" | "service">;

/** Connects once on a connection of its own and asks the service for its version. */
async function askEndpoint(
  url: string,
  createSocket: SocketFactory,
  page: PageEnvironment,
  probe: RefusalProbe,
  timeoutMs: number,
): Promise<Endpoint> {
  const refusal = await refusalBeforeConnecting(url, page);
  if (refusal) {
    return { endpoint: endpointState(refusal), service: null };
  }
  return new Promise((resolve) => {
    let opened = false;
    let done = false;
    let socket: ReturnType<SocketFactory> | null = null;
    const finish = (outcome: Endpoint) => {
      if (done) {
        return;
      }
      done = true;
      clearTimeout(timer);
      if (socket) {
        socket.onopen = socket.onmessage = socket.onclose = socket.onerror = null;
        try {
          socket.close();
        } catch {
          // Already closed.
        }
      }
      resolve(outcome);
    };
    // A service busy with a read answers after it; past the time-out its version is unknown.
    const timer = setTimeout(
      () => finish({ endpoint: opened ? "reachable" : "not-listening", service: null }),
      timeoutMs,
    );
    try {
      socket = createSocket(url);
    } catch {
      finish({ endpoint: "not-listening", service: null });
      return;
    }
    socket.onopen = () => {
      opened = true;
      try {
        socket?.send(VERSION_COMMAND);
      } catch {
        finish({ endpoint: "reachable", service: null });
      }
    };
    socket.onmessage = (event) => {
      let answer: unknown = null;
      try {
        answer = JSON.parse(String(event.data));
      } catch {
        // Not JSON: not the version document.
      }
      finish({ endpoint: "reachable", service: isServiceVersion(answer) ? answer : "older" });
    };
    socket.onerror = () => {
      // The close that follows says what happened.
    };
    socket.onclose = () => {
      if (opened) {
        // The service before the version message ends the connection on any other message.
        finish({ endpoint: "reachable", service: "older" });
        return;
      }
      connectionFailure(url, page, probe).then((error) =>
        finish({ endpoint: endpointState(error), service: null }),
      );
    };
  });
}

/** Everything status() looks at, filled in by the client. */
export interface StatusSources {
  url: string;
  createSocket: SocketFactory;
  page: PageEnvironment;
  probe: RefusalProbe;
  extension: ExtensionChannel;
  timeoutMs: number;
}

export async function readerStatus(sources: StatusSources): Promise<ReaderStatus> {
  const [endpoint, permission, extension] = await Promise.all([
    askEndpoint(sources.url, sources.createSocket, sources.page, sources.probe, sources.timeoutMs),
    loopbackPermission(sources.page),
    sources.extension.present(),
  ]);
  return { url: sources.url, ...endpoint, permission, extension };
}
