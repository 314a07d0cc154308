// The reply schema lives in the repository's docs/; the package carries a copy so that a web
// application can validate replies with the same schema the library was built against.
import { copyFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
copyFileSync(join(here, "..", "..", "..", "docs", "reply.schema.json"),
             join(here, "..", "reply.schema.json"));
